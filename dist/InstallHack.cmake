# Run when installing: makes the installed program reachable in the screensaver daemons' hack
# directory (LIBEXECDIR/xscreensaver) by a relative link, and writes mate-screensaver's theme
# file naming it there, for the prefix being installed to. Expects VORNELLE_BINDIR,
# VORNELLE_LIBEXECDIR, VORNELLE_DATADIR (relative to the prefix) and VORNELLE_THEME_TEMPLATE.
set(prefix "${CMAKE_INSTALL_PREFIX}")
set(hackDirectory "${prefix}/${VORNELLE_LIBEXECDIR}/xscreensaver")
set(VORNELLE_HACK "${hackDirectory}/vornelle")
set(theme "${prefix}/${VORNELLE_DATADIR}/applications/screensavers/vornelle.desktop")

file(RELATIVE_PATH program "${hackDirectory}" "${prefix}/${VORNELLE_BINDIR}/vornelle")
message(STATUS "Installing: $ENV{DESTDIR}${VORNELLE_HACK} -> ${program}")
file(MAKE_DIRECTORY "$ENV{DESTDIR}${hackDirectory}")
file(CREATE_LINK "${program}" "$ENV{DESTDIR}${VORNELLE_HACK}" SYMBOLIC)

message(STATUS "Installing: $ENV{DESTDIR}${theme}")
configure_file("${VORNELLE_THEME_TEMPLATE}" "$ENV{DESTDIR}${theme}" @ONLY)

list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${VORNELLE_HACK}" "${theme}")

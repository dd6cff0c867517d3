# -DVORNELLE_SANITIZE=ON: everything built with AddressSanitizer and
# UndefinedBehaviorSanitizer, stopping at the first report. Use a build directory of its
# own; scripts/test-sanitized builds and tests one.
option(VORNELLE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VORNELLE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
    # With the sanitizers GCC inlines a replaced global operator delete into its callers and
    # then takes the pair for a mismatch; AddressSanitizer checks real mismatches as they run.
    add_compile_options(-Wno-mismatched-new-delete)
endif()

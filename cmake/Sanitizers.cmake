# VELMORA_SANITIZE=ON builds everything with AddressSanitizer and UBSan.
option(VELMORA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(VELMORA_SANITIZE)
    set(_velmora_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_compile_options(${_velmora_san})
    add_link_options(${_velmora_san})
endif()

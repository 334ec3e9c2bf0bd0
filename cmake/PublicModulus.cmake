# Turns the hex text of the public modulus into program data, and guards
# against shipping a viewer that opens packages sealed with the test key.
if(NOT VELLUM_PUBLIC_MODULUS OR NOT EXISTS "${VELLUM_PUBLIC_MODULUS}")
  message(FATAL_ERROR "VELLUM_PUBLIC_MODULUS must name the publisher's modulus file "
                      "(made by `vellum-seal keygen`); got '${VELLUM_PUBLIC_MODULUS}'")
endif()
file(READ "${VELLUM_PUBLIC_MODULUS}" _modulus_hex)
string(REGEX REPLACE "[^0-9A-Fa-f]" "" _modulus_hex "${_modulus_hex}")
string(LENGTH "${_modulus_hex}" _modulus_len)
if(NOT _modulus_len EQUAL 2048)
  message(FATAL_ERROR "${VELLUM_PUBLIC_MODULUS}: expected 1024 bytes of hex, found ${_modulus_len} digits")
endif()
string(SUBSTRING "${_modulus_hex}" 0 1 _top_digit)
if(_top_digit MATCHES "^[0-7]$")
  message(FATAL_ERROR "${VELLUM_PUBLIC_MODULUS}: the modulus must have its top bit set")
endif()
string(REGEX REPLACE "([0-9A-Fa-f][0-9A-Fa-f])" "0x\\1," VELLUM_MODULUS_BYTES "${_modulus_hex}")
set(VELLUM_MODULUS_SOURCE "${CMAKE_BINARY_DIR}/generated/public_modulus.cpp")
configure_file("${CMAKE_SOURCE_DIR}/cmake/public_modulus.cpp.in" "${VELLUM_MODULUS_SOURCE}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${VELLUM_PUBLIC_MODULUS}")

file(READ "${CMAKE_SOURCE_DIR}/keys/test_public_modulus.hex" _test_hex)
string(REGEX REPLACE "[^0-9A-Fa-f]" "" _test_hex "${_test_hex}")
string(TOLOWER "${_test_hex}" _test_hex)
string(TOLOWER "${_modulus_hex}" _chosen_hex)
if(_chosen_hex STREQUAL _test_hex)
  if(VELLUM_RELEASE)
    message(FATAL_ERROR "A release build refuses the committed TEST key: its private half is public. "
                        "Configure with -DVELLUM_PUBLIC_MODULUS=<your modulus.hex>.")
  endif()
  message(WARNING "\n"
    "  ************************************************************\n"
    "  *  This viewer embeds the committed TEST public key.        *\n"
    "  *  Anyone can seal packages it accepts. NEVER SHIP IT.      *\n"
    "  *  Use -DVELLUM_PUBLIC_MODULUS=<your modulus.hex>.          *\n"
    "  ************************************************************")
endif()

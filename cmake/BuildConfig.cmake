# Values fixed at build time. The defaults point at the bundled sandbox on loopback, so a fresh
# checkout runs end to end; a production build passes the real values with -D.
# The sandbox's ports lie below the kernel's ephemeral range, so no client connection of a test
# run can be holding one when the sandbox starts.
set(BRISFOLD_COURIER_API_URL "https://127.0.0.1:27801" CACHE STRING "Courier platform integration service")
set(BRISFOLD_COURIER_WEB_URL "https://127.0.0.1:27801" CACHE STRING "Courier platform web site")
set(BRISFOLD_COURIER_API_KEY "sandbox_courier_key_0123456789AB" CACHE STRING "Courier platform integration key (32 characters)")
set(BRISFOLD_MARKETPLACE_API_URL "https://127.0.0.1:27802" CACHE STRING "Marketplace API base address")
set(BRISFOLD_MARKETPLACE_WEB_URL "https://127.0.0.1:27802" CACHE STRING "Marketplace web site")
set(BRISFOLD_MARKETPLACE_CLIENT_ID "tarsio-sistemas" CACHE STRING "Marketplace integrator client id")
set(BRISFOLD_MARKETPLACE_CLIENT_SECRET "sandboxMarketplaceSecret01234567" CACHE STRING "Marketplace integrator secret (32 characters)")
set(BRISFOLD_MARKETPLACE_CONTACT "integracao@tarsio.example" CACHE STRING "Integrator contact e-mail")
set(BRISFOLD_CA_FILE "${PROJECT_BINARY_DIR}/sandbox/sandbox-ca.pem" CACHE STRING
    "PEM bundle trusted besides the system store; empty for the system store only")

string(LENGTH "${BRISFOLD_COURIER_API_KEY}" _key_length)
if(NOT _key_length EQUAL 32 OR NOT BRISFOLD_COURIER_API_KEY MATCHES "^[A-Za-z0-9_]+$")
  message(FATAL_ERROR "BRISFOLD_COURIER_API_KEY must be 32 letters, digits or underscores")
endif()
string(LENGTH "${BRISFOLD_MARKETPLACE_CLIENT_SECRET}" _secret_length)
if(NOT _secret_length EQUAL 32)
  message(FATAL_ERROR "BRISFOLD_MARKETPLACE_CLIENT_SECRET must be 32 characters")
endif()

configure_file(${PROJECT_SOURCE_DIR}/cmake/BuildConfig.h.in ${PROJECT_BINARY_DIR}/generated/BuildConfig.h @ONLY)

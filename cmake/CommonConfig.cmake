# One target that every other target links: the language level, the warnings and the defines.
add_library(brisfold_common INTERFACE)
target_compile_features(brisfold_common INTERFACE cxx_std_20)
if(MSVC)
  target_compile_options(brisfold_common INTERFACE /W4 /WX /permissive- /utf-8)
else()
  target_compile_options(brisfold_common INTERFACE -Wall -Wextra -Werror -Wold-style-cast)
endif()
target_compile_definitions(brisfold_common INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
target_include_directories(brisfold_common INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)

if(BRISFOLD_SANITIZE)
  target_compile_options(brisfold_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                         -fno-sanitize-recover=undefined)
  target_link_options(brisfold_common INTERFACE -fsanitize=address,undefined)
endif()
if(BRISFOLD_SANITIZE_THREAD)
  target_compile_options(brisfold_common INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(brisfold_common INTERFACE -fsanitize=thread)
endif()

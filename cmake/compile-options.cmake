# The compiler settings of every build of dosprep's sources: the top-level
# build and the fuzz build (fuzz/, built on its own by tools/fuzz-all) both
# include this file.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()

add_compile_options(-Wall -Wextra -Werror)

# AddressSanitizer and UndefinedBehaviorSanitizer, for the builds that ask
# for them (DOSPREP_SANITIZE, and every fuzz target).
set(DOSPREP_SANITIZER_FLAGS
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

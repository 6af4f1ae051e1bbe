# The cross build uses the same header-only libraries as the Linux build, taken from the Linux
# include directory. /usr/include itself must not reach the include path (its C library headers
# would shadow MinGW's), so only symlinks to the three library folders are exposed.
set(ENSEMBLE_HOST_INCLUDE_DIR /usr/include CACHE PATH "Where the Linux packages put their headers")
set(ensemble_third_party_include ${CMAKE_BINARY_DIR}/third_party_include)
file(MAKE_DIRECTORY ${ensemble_third_party_include})
foreach(library nlohmann fmt spdlog)
  if(NOT EXISTS ${ENSEMBLE_HOST_INCLUDE_DIR}/${library})
    message(FATAL_ERROR "Missing ${ENSEMBLE_HOST_INCLUDE_DIR}/${library}: install the Debian "
                        "development package that provides it")
  endif()
  file(CREATE_LINK ${ENSEMBLE_HOST_INCLUDE_DIR}/${library} ${ensemble_third_party_include}/${library}
       SYMBOLIC)
endforeach()

add_library(ensemble_json INTERFACE)
target_include_directories(ensemble_json SYSTEM INTERFACE ${ensemble_third_party_include})

add_library(ensemble_logging INTERFACE)
target_include_directories(ensemble_logging SYSTEM INTERFACE ${ensemble_third_party_include})
target_compile_definitions(ensemble_logging INTERFACE
  FMT_HEADER_ONLY SPDLOG_HEADER_ONLY SPDLOG_FMT_EXTERNAL)

# GoogleTest has no MinGW package; build it from the Debian source package.
if(ENSEMBLE_BUILD_TESTS)
  set(ENSEMBLE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  # Defines the GTest::gtest and GTest::gtest_main targets that the tests link.
  add_subdirectory(${ENSEMBLE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# Third-party libraries come from the distribution's packages; nothing is downloaded.
if(WIN32)
  include(cmake/WindowsDependencies.cmake)
  return()
endif()

find_package(nlohmann_json 3.10 REQUIRED)
add_library(ensemble_json INTERFACE)
target_link_libraries(ensemble_json INTERFACE nlohmann_json::nlohmann_json)

find_package(fmt REQUIRED)
find_package(spdlog REQUIRED)
add_library(ensemble_logging INTERFACE)
target_link_libraries(ensemble_logging INTERFACE spdlog::spdlog fmt::fmt)

# nlohmann/json (Debian's nlohmann-json3-dev, header-only), the one library
# from outside the project. Every build gets it through an include folder of
# its own that holds nothing but nlohmann/: the host's /usr/include would hide
# mingw's own headers from the Windows builds.
set(VANTOIP_NLOHMANN_JSON_DIR /usr/include/nlohmann CACHE PATH "The folder holding nlohmann/json.hpp")
if(NOT EXISTS ${VANTOIP_NLOHMANN_JSON_DIR}/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found in ${VANTOIP_NLOHMANN_JSON_DIR}: install nlohmann-json3-dev (tools/bootstrap)")
endif()
set(VANTOIP_NLOHMANN_INCLUDE ${CMAKE_BINARY_DIR}/nlohmann-json/include)
file(COPY ${VANTOIP_NLOHMANN_JSON_DIR} DESTINATION ${VANTOIP_NLOHMANN_INCLUDE})
add_library(vantoip_nlohmann_json INTERFACE)
target_include_directories(vantoip_nlohmann_json SYSTEM INTERFACE ${VANTOIP_NLOHMANN_INCLUDE})

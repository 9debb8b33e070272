target_sources(quorlix_core PRIVATE
  ${ROOT}/drivers/DriverRegistry.h ${ROOT}/drivers/DriverRegistry.cpp
  ${ROOT}/drivers/DriverServices.h
)
# One line per family of drivers: its folder lists its own sources.
foreach(family hitachi au astm dbexchange)
  include(${ROOT}/drivers/${family}/sources.cmake)
endforeach()

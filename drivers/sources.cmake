target_sources(quorlix_drivers PRIVATE
  ${ROOT}/drivers/DriverRegistry.h ${ROOT}/drivers/DriverRegistry.cpp
  ${ROOT}/drivers/DriverServices.h
  ${ROOT}/drivers/AnalyzerType.h
  ${ROOT}/drivers/ExternalTypes.h ${ROOT}/drivers/ExternalTypes.cpp
  ${ROOT}/drivers/SampleChoice.h ${ROOT}/drivers/SampleChoice.cpp
)
# One line per family of drivers: its folder lists its own sources.
foreach(family hitachi au astm dbexchange manual)
  include(${ROOT}/drivers/${family}/sources.cmake)
endforeach()

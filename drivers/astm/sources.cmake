target_sources(quorlix_core PRIVATE
  ${ROOT}/drivers/astm/E1381Action.h
  ${ROOT}/drivers/astm/E1381Frame.h ${ROOT}/drivers/astm/E1381Frame.cpp
  ${ROOT}/drivers/astm/E1381Reader.h ${ROOT}/drivers/astm/E1381Reader.cpp
  ${ROOT}/drivers/astm/E1381Link.h ${ROOT}/drivers/astm/E1381Link.cpp
)

target_sources(quorlix_core PRIVATE
  ${ROOT}/drivers/astm/E1381Action.h
  ${ROOT}/drivers/astm/E1381Frame.h ${ROOT}/drivers/astm/E1381Frame.cpp
  ${ROOT}/drivers/astm/E1381Reader.h ${ROOT}/drivers/astm/E1381Reader.cpp
  ${ROOT}/drivers/astm/E1381Link.h ${ROOT}/drivers/astm/E1381Link.cpp
)
# The Coulter ACT 8 (receive-only, on the E1381 link).
target_sources(quorlix_core PRIVATE ${ROOT}/drivers/astm/ActMessage.cpp ${ROOT}/drivers/astm/ActChoice.h ${ROOT}/drivers/astm/ActChoice.cpp ${ROOT}/drivers/astm/ActStore.cpp ${ROOT}/drivers/astm/ActDriver.cpp)

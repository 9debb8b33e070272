target_sources(quorlix_drivers PRIVATE
  ${ROOT}/drivers/astm/E1381Action.h
  ${ROOT}/drivers/astm/E1381Frame.h ${ROOT}/drivers/astm/E1381Frame.cpp
  ${ROOT}/drivers/astm/E1381Reader.h ${ROOT}/drivers/astm/E1381Reader.cpp
  ${ROOT}/drivers/astm/E1381Link.h ${ROOT}/drivers/astm/E1381Link.cpp
  ${ROOT}/drivers/astm/E1381Session.h ${ROOT}/drivers/astm/E1381Session.cpp
  ${ROOT}/drivers/astm/AstmRecords.h ${ROOT}/drivers/astm/AstmRecords.cpp
  ${ROOT}/drivers/astm/IndikoRecords.h ${ROOT}/drivers/astm/IndikoRecords.cpp
  ${ROOT}/drivers/astm/IndikoQueries.h ${ROOT}/drivers/astm/IndikoQueries.cpp
  ${ROOT}/drivers/astm/IndikoComment.h ${ROOT}/drivers/astm/IndikoComment.cpp
  ${ROOT}/drivers/astm/IndikoStore.h ${ROOT}/drivers/astm/IndikoStore.cpp
  ${ROOT}/drivers/astm/IndikoDriver.h ${ROOT}/drivers/astm/IndikoDriver.cpp
  ${ROOT}/drivers/astm/DsxMessage.h ${ROOT}/drivers/astm/DsxMessage.cpp
  ${ROOT}/drivers/astm/DsxStore.h ${ROOT}/drivers/astm/DsxStore.cpp
  ${ROOT}/drivers/astm/DsxQueries.h ${ROOT}/drivers/astm/DsxQueries.cpp
  ${ROOT}/drivers/astm/DsxDriver.h ${ROOT}/drivers/astm/DsxDriver.cpp
  ${ROOT}/drivers/astm/AstmDrivers.h ${ROOT}/drivers/astm/AstmDrivers.cpp
)
# The Coulter ACT 8 (receive-only, on the E1381 link).
target_sources(quorlix_drivers PRIVATE ${ROOT}/drivers/astm/ActMessage.cpp ${ROOT}/drivers/astm/ActStore.cpp ${ROOT}/drivers/astm/ActDriver.cpp)

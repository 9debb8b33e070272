target_sources(quorlix_drivers PRIVATE
  ${ROOT}/drivers/dbexchange/DbExchangeDrivers.h ${ROOT}/drivers/dbexchange/DbExchangeDrivers.cpp
  ${ROOT}/drivers/dbexchange/MgcCalibrations.h ${ROOT}/drivers/dbexchange/MgcCalibrations.cpp
  ${ROOT}/drivers/dbexchange/MgcContext.h ${ROOT}/drivers/dbexchange/MgcContext.cpp
  ${ROOT}/drivers/dbexchange/MgcControls.h ${ROOT}/drivers/dbexchange/MgcControls.cpp
  ${ROOT}/drivers/dbexchange/MgcDatabase.h ${ROOT}/drivers/dbexchange/MgcDatabase.cpp
  ${ROOT}/drivers/dbexchange/MgcExchange.h ${ROOT}/drivers/dbexchange/MgcExchange.cpp
  ${ROOT}/drivers/dbexchange/MgcHandOver.h ${ROOT}/drivers/dbexchange/MgcHandOver.cpp
  ${ROOT}/drivers/dbexchange/MgcJobs.h ${ROOT}/drivers/dbexchange/MgcJobs.cpp
  ${ROOT}/drivers/dbexchange/MgcMarks.h ${ROOT}/drivers/dbexchange/MgcMarks.cpp
  ${ROOT}/drivers/dbexchange/MgcOnline.h ${ROOT}/drivers/dbexchange/MgcOnline.cpp
  ${ROOT}/drivers/dbexchange/MgcOnlineFrames.h ${ROOT}/drivers/dbexchange/MgcOnlineFrames.cpp
  ${ROOT}/drivers/dbexchange/MgcOrders.h ${ROOT}/drivers/dbexchange/MgcOrders.cpp
  ${ROOT}/drivers/dbexchange/MgcResults.h ${ROOT}/drivers/dbexchange/MgcResults.cpp
  ${ROOT}/drivers/dbexchange/PrestigeButton.h
)
# The button of the MGC240's own program is pressed through the Windows window functions.
if(WIN32)
  target_sources(quorlix_drivers PRIVATE ${ROOT}/drivers/dbexchange/PrestigeButtonWin.cpp)
  target_link_libraries(quorlix_drivers PRIVATE user32)
else()
  target_sources(quorlix_drivers PRIVATE ${ROOT}/drivers/dbexchange/PrestigeButtonElsewhere.cpp)
endif()

target_sources(quorlix_lims PRIVATE
  ${ROOT}/lims/ResultsDelivery.h ${ROOT}/lims/ResultsDelivery.cpp
  ${ROOT}/lims/PendingToLims.h ${ROOT}/lims/PendingToLims.cpp
  ${ROOT}/lims/LimsFrameReader.h ${ROOT}/lims/LimsFrameReader.cpp
  ${ROOT}/lims/LimsOrderFrame.h ${ROOT}/lims/LimsOrderFrame.cpp
  ${ROOT}/lims/LimsOrderStore.h ${ROOT}/lims/LimsOrderStore.cpp
  ${ROOT}/lims/LimsChannelMap.h ${ROOT}/lims/LimsChannelMap.cpp
  ${ROOT}/lims/LimsHostHandler.h ${ROOT}/lims/LimsHostHandler.cpp
  ${ROOT}/lims/InvH912Receive.h ${ROOT}/lims/InvH912Receive.cpp
  ${ROOT}/lims/InvMgc240Receive.h ${ROOT}/lims/InvMgc240Receive.cpp
  ${ROOT}/lims/LimsDrivers.h ${ROOT}/lims/LimsDrivers.cpp
  ${ROOT}/lims/InvAuRelay.h ${ROOT}/lims/InvAuRelay.cpp
)

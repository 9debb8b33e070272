target_sources(quorlix_core PRIVATE
  ${ROOT}/lims/PendingToLims.h ${ROOT}/lims/PendingToLims.cpp
  ${ROOT}/lims/LimsFrameReader.h ${ROOT}/lims/LimsFrameReader.cpp
  ${ROOT}/lims/LimsOrderFrame.h ${ROOT}/lims/LimsOrderFrame.cpp
  ${ROOT}/lims/LimsOrderStore.h ${ROOT}/lims/LimsOrderStore.cpp
  ${ROOT}/lims/LimsChannelMap.h ${ROOT}/lims/LimsChannelMap.cpp
)

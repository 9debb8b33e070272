target_sources(quorlix_drivers PRIVATE
  ${ROOT}/drivers/hitachi/ChannelMap.h ${ROOT}/drivers/hitachi/ChannelMap.cpp
  ${ROOT}/drivers/hitachi/FrameBuffer.h ${ROOT}/drivers/hitachi/FrameBuffer.cpp
  ${ROOT}/drivers/hitachi/HitachiFrame.h ${ROOT}/drivers/hitachi/HitachiFrame.cpp
  ${ROOT}/drivers/hitachi/HitachiReply.h ${ROOT}/drivers/hitachi/HitachiReply.cpp
  ${ROOT}/drivers/hitachi/HitachiQueries.h ${ROOT}/drivers/hitachi/HitachiQueries.cpp
  ${ROOT}/drivers/hitachi/OrderSelection.h ${ROOT}/drivers/hitachi/OrderSelection.cpp
  ${ROOT}/drivers/hitachi/HitachiDriver.h ${ROOT}/drivers/hitachi/HitachiDriver.cpp
  ${ROOT}/drivers/hitachi/HitachiDrivers.h ${ROOT}/drivers/hitachi/HitachiDrivers.cpp
  ${ROOT}/drivers/hitachi/UnmappedFrameJob.h ${ROOT}/drivers/hitachi/UnmappedFrameJob.cpp
)

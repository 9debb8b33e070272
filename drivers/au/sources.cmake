target_sources(quorlix_core PRIVATE
  ${ROOT}/drivers/au/AuFrame.h ${ROOT}/drivers/au/AuFrame.cpp
  ${ROOT}/drivers/au/AuOrder.h ${ROOT}/drivers/au/AuOrder.cpp
  ${ROOT}/drivers/au/PendingCalibrations.h ${ROOT}/drivers/au/PendingCalibrations.cpp
  ${ROOT}/drivers/au/AuRelayBuffer.h ${ROOT}/drivers/au/AuRelayBuffer.cpp
)

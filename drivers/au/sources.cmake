target_sources(quorlix_drivers PRIVATE
  ${ROOT}/drivers/au/AuFrame.h ${ROOT}/drivers/au/AuFrame.cpp
  ${ROOT}/drivers/au/AuOrder.h ${ROOT}/drivers/au/AuOrder.cpp
  ${ROOT}/drivers/au/PendingCalibrations.h ${ROOT}/drivers/au/PendingCalibrations.cpp
  ${ROOT}/drivers/au/WaitingStandards.h ${ROOT}/drivers/au/WaitingStandards.cpp
  ${ROOT}/drivers/au/AuRelayBuffer.h ${ROOT}/drivers/au/AuRelayBuffer.cpp
  ${ROOT}/drivers/au/AuAbsorbance.h ${ROOT}/drivers/au/AuAbsorbance.cpp
  ${ROOT}/drivers/au/AuQueries.h ${ROOT}/drivers/au/AuQueries.cpp
  ${ROOT}/drivers/au/AuStandardsJob.h ${ROOT}/drivers/au/AuStandardsJob.cpp
  ${ROOT}/drivers/au/AuReceivedJob.h ${ROOT}/drivers/au/AuReceivedJob.cpp
  ${ROOT}/drivers/au/AuDriver.h ${ROOT}/drivers/au/AuDriver.cpp
  ${ROOT}/drivers/au/AuDrivers.h ${ROOT}/drivers/au/AuDrivers.cpp
)

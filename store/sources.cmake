target_sources(quorlix_store PRIVATE
  ${ROOT}/store/Autovalidation.h ${ROOT}/store/Autovalidation.cpp
  ${ROOT}/store/CalibrationDialogs.h
  ${ROOT}/store/CalibrationStore.h ${ROOT}/store/CalibrationStore.cpp
  ${ROOT}/store/ChannelParameters.h ${ROOT}/store/ChannelParameters.cpp
  ${ROOT}/store/ControlBlocks.h ${ROOT}/store/ControlBlocks.cpp
  ${ROOT}/store/ControlStore.h ${ROOT}/store/ControlStore.cpp
  ${ROOT}/store/DbOutcome.h ${ROOT}/store/DbOutcome.cpp
  ${ROOT}/store/JobOutcome.h
  ${ROOT}/store/LimsFrames.h ${ROOT}/store/LimsFrames.cpp
  ${ROOT}/store/LimsReports.h ${ROOT}/store/LimsReports.cpp
  ${ROOT}/store/RawResults.h ${ROOT}/store/RawResults.cpp
  ${ROOT}/store/RecordJson.h ${ROOT}/store/RecordJson.cpp
  ${ROOT}/store/Records.h
  ${ROOT}/store/SampleIds.h ${ROOT}/store/SampleIds.cpp
  ${ROOT}/store/SampleStore.h ${ROOT}/store/SampleStore.cpp
  ${ROOT}/store/Spool.h ${ROOT}/store/Spool.cpp
  ${ROOT}/store/SpoolFiles.h ${ROOT}/store/SpoolFiles.cpp
  ${ROOT}/store/Store.h ${ROOT}/store/Store.cpp
  ${ROOT}/store/StoreJob.h ${ROOT}/store/StoreJob.cpp
  ${ROOT}/store/StoreValues.h ${ROOT}/store/StoreValues.cpp
  ${ROOT}/store/Transaction.h ${ROOT}/store/Transaction.cpp
  ${ROOT}/store/qc/ControlTargets.h ${ROOT}/store/qc/ControlTargets.cpp
  ${ROOT}/store/qc/QcHistory.h ${ROOT}/store/qc/QcHistory.cpp
  ${ROOT}/store/qc/QcEvaluation.h ${ROOT}/store/qc/QcEvaluation.cpp
  ${ROOT}/store/qc/QcTables.h ${ROOT}/store/qc/QcTables.cpp
  ${ROOT}/store/qc/Westgard.h ${ROOT}/store/qc/Westgard.cpp
  ${ROOT}/store/status/StatusRow.h ${ROOT}/store/status/StatusRow.cpp
  ${ROOT}/store/status/StatusTable.h ${ROOT}/store/status/StatusTable.cpp
)

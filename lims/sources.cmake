target_sources(quorlix_core PRIVATE
  ${ROOT}/lims/PendingToLims.h ${ROOT}/lims/PendingToLims.cpp
)

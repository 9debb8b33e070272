target_sources(quorlix_core PRIVATE
  ${ROOT}/lims/HitachiInquiry.h ${ROOT}/lims/HitachiInquiry.cpp
)

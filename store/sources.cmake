target_sources(quorlix_core PRIVATE
  ${ROOT}/store/ControlBlocks.h ${ROOT}/store/ControlBlocks.cpp
)

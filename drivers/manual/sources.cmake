# The manual input station: results typed in by the operator.
target_sources(quorlix_drivers PRIVATE
  ${ROOT}/drivers/manual/ManualInput.h ${ROOT}/drivers/manual/ManualInput.cpp
  ${ROOT}/drivers/manual/ManualInputType.h ${ROOT}/drivers/manual/ManualInputType.cpp
)

target_sources(quorlix_comm PRIVATE
  ${ROOT}/comm/Dispatch.h ${ROOT}/comm/Dispatch.cpp
  ${ROOT}/comm/Line.h
  ${ROOT}/comm/LineHandler.h
  ${ROOT}/comm/LinePort.h ${ROOT}/comm/LinePort.cpp
  ${ROOT}/comm/LinkState.h
  ${ROOT}/comm/LinkSupervisor.h ${ROOT}/comm/LinkSupervisor.cpp
  ${ROOT}/comm/MetricsServer.h ${ROOT}/comm/MetricsServer.cpp
  ${ROOT}/comm/PeriodicTasks.h ${ROOT}/comm/PeriodicTasks.cpp
  ${ROOT}/comm/PortConfig.h ${ROOT}/comm/PortConfig.cpp
  ${ROOT}/comm/ProtocolState.h
)

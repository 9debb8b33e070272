target_sources(quorlix_core PRIVATE
)

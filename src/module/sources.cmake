pelorin_sources(WIN module.cpp server.cpp)

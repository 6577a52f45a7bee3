pelorin_sources(PURE registry_script.cpp server_paths.cpp WIN module.cpp server.cpp shared_registration.cpp)

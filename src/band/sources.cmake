pelorin_sources()

pelorin_sources(PURE config_list.cpp markup.cpp
                WIN config_list_win.cpp page_fetcher.cpp content_digest.cpp digest_page.cpp
                    seen_store.cpp)

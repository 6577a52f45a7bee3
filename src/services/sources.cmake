pelorin_sources(PURE config_list.cpp markup.cpp comparison.cpp charset.cpp character_references.cpp
                     page_text.cpp
                WIN config_list_win.cpp page_fetcher.cpp content_digest.cpp digest_page.cpp
                    seen_store.cpp charset_win.cpp)
# What changed in a page compared by its text, and the text kept as the user last opened it.
pelorin_sources(PURE new_passages.cpp WIN kept_text.cpp)

// The seen-state read with a hook between its size query and its data query, so that tests
// can change the value in that window.
#pragma once

#include <string>

constexpr int kSeenReadAttempts = 4;

std::string ReadSeenDigestWith(const std::string& pageAddress, const std::string& defaultText,
                               void (*betweenQueries)(void*), void* context);

// Resource identifiers of pelorin.beta.dll.
#pragma once

#define IDS_PROJECT 100

// Registration scripts, type "REGISTRY". Only the last is replayed; the three others are
// kept in the module, and their toolbar entries are cleared on unregistration.
#define IDR_REGISTRY_WATCH 101
#define IDR_REGISTRY_NEWS 102
#define IDR_REGISTRY_SEARCH 103
#define IDR_REGISTRY_PELORIN 104

// Button images of the watch pane.
#define IDB_SEEN 212
#define IDB_CHANGED 213
#define IDB_PENDING_CHECKING 217

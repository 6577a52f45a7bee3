// Resource identifiers of pelorin.beta.dll.
#pragma once

#define IDS_PROJECT 100

// Button images of the watch pane.
#define IDB_SEEN 212
#define IDB_CHANGED 213
#define IDB_PENDING_CHECKING 217

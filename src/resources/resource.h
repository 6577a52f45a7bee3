// Resource identifiers of pelorin.beta.dll.
#pragma once

#define IDS_PROJECT 100

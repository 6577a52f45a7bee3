// What the watch pane tells a host that wants to hear of it: each time a page's button turns
// Changed, and each time it stops showing Changed (the user opened the page, or the page came
// back to what the user saw), in the order the buttons change, on the UI thread. It goes
// through the site's IOleCommandTarget::Exec with this command group; pvaIn holds a
// one-dimensional VT_ARRAY | VT_BSTR of three: the page's address, its title, and what is new
// in it as the button's tooltip words it after the title ("新: 新しい見出し…(ほか 2 か所)",
// empty when the band has nothing to say, and always with kWatchPageNoLongerChanged). Hosts
// written for the first two elements read them where they always were. A host without
// IOleCommandTarget, or one that does not know the group, is not asked again.
#pragma once

#include <windows.h>

// {D14D9FD8-BAEC-4BD3-825E-624B28A74097}
inline const GUID kPelorinWatchGroup = {0xD14D9FD8, 0xBAEC, 0x4BD3, {0x82, 0x5E, 0x62, 0x4B, 0x28, 0xA7, 0x40, 0x97}};

enum WatchNotice : DWORD {
    kWatchPageChanged = 1,
    kWatchPageNoLongerChanged = 2,
};

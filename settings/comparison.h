// The four ways the band compares a watched page with what it saw last, as its item line
// names them: the flag alone for the first two ("title,0,URL", "title,1,URL"), a word after
// the URL for the others ("title,1,URL text", "title,1,URL text-no-numbers"; the flag 1 lets
// a band that knows no words remove the markup). The same enumeration as the band's.
#pragma once

enum class Comparison {
    WholeBody,      // the whole body digested
    Markup,         // the body with its tags removed
    Text,           // the text a reader sees
    TextNoNumbers,  // that text without its runs of digits
};

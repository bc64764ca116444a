/* The public header as a C99 caller sees it. */
#include "kxfiles.h"

int kxfiles_header_compiles_as_c99(void) {
    KXFILEDATETIME date = {1, 2, 3, 4, 5, 6};
    KXMATCHSUMMARY summary = {0, 0};
    return (int)sizeof(KXMATCHENTRYINFO) + date.day + summary.count + (int)TXT_DROP_CR +
           (int)CSF_FROM_DBCS + (int)MATCH_DIRECTORY + (int)LOCAL_NAME_FORCE_83;
}

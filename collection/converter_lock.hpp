// iconv_open and iconv_close take the C library's converter lock, which a
// fork does not reset: a fork while another thread held it would leave the
// child unable ever to open a converter. They run under this lock, and a
// fork waits for it, so forked workers (Python's multiprocessing) can convert.
#pragma once

#include <iconv.h>

namespace zolehead::collection {

// iconv_open under the lock; errno as iconv_open left it.
iconv_t OpenConverter(const char* to, const char* from);
// iconv_close under the lock.
void CloseConverter(iconv_t cd);

}  // namespace zolehead::collection

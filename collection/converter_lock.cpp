#include "converter_lock.hpp"

#include <pthread.h>

#include <cerrno>
#include <mutex>

namespace zolehead::collection {

namespace {

class ConverterLock {
public:
    static std::mutex& get() {
        static ConverterLock lock;
        return lock.mutex_;
    }

private:
    ConverterLock() {
        pthread_atfork([] { get().lock(); }, [] { get().unlock(); }, [] { get().unlock(); });
    }
    std::mutex mutex_;
};

}  // namespace

iconv_t OpenConverter(const char* to, const char* from) {
    iconv_t cd;
    int error = 0;
    {
        std::lock_guard lock(ConverterLock::get());
        cd = iconv_open(to, from);
        error = errno;
    }
    errno = error;
    return cd;
}

void CloseConverter(iconv_t cd) {
    std::lock_guard lock(ConverterLock::get());
    iconv_close(cd);
}

}  // namespace zolehead::collection

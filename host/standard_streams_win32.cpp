#include <fcntl.h>
#include <io.h>

#include "host/standard_streams.h"

void SettleStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        // The runtime marks a stream the program was started without by a
        // handle of -2 (no console) or -1.
        if (_get_osfhandle(fd) >= 0) {
            continue;
        }
        const int null = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (null >= 0 && null != fd) {
            _dup2(null, fd);
            _close(null);
        }
    }
}

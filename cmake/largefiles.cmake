# 64-bit file offsets and times for every target, also on 32-bit ARM (armhf), where glibc's
# default off_t and time_t are 32 bits: a file of 2 GiB or more would fail with EOVERFLOW and
# file times would end in 2038. Qt only adds _LARGEFILE64_SOURCE, which names the *64
# functions without changing off_t. _TIME_BITS=64 needs glibc 2.34 or later (bookworm has
# 2.36) and _FILE_OFFSET_BITS=64; on 64-bit targets both change nothing.
#
# No library we link passes off_t, time_t, struct stat or struct timespec through its
# interface: Qt gives sizes and times as qint64 and QDateTime, nettle takes byte buffers. So
# building against bookworm's armhf Qt, made with a 32-bit time_t, stays compatible.
add_compile_definitions(_FILE_OFFSET_BITS=64 _TIME_BITS=64)

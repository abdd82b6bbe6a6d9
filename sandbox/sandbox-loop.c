/*
 * sandbox-loop: the one loop device that stands for partition 1 of the
 * sandbox's disk image. The sandbox shell holds the device open on a file
 * descriptor; this helper binds it, re-points it and picks a free one.
 *
 *   sandbox-loop free                        prints the number of a free device
 *   sandbox-loop attach FD IMAGE OFFSET SIZE binds FD's device to IMAGE
 *   sandbox-loop move FD OFFSET SIZE         new offset and size limit
 *
 * Offsets and sizes are in bytes. The device is bound with autoclear, so it
 * is freed when its last holder closes it, even when that holder is killed.
 * Exit status: 0 done, 1 failed (message on stderr), 2 device busy (attach:
 * take another), 64 usage.
 */
#include <errno.h>
#include <fcntl.h>
#include <linux/loop.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

static int fail(const char *what)
{
    fprintf(stderr, "sandbox-loop: %s: %s\n", what, strerror(errno));
    return 1;
}

static int number(const char *text, unsigned long long *out)
{
    char *end = NULL;
    errno = 0;
    *out = strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

static int free_device(void)
{
    int ctl = open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    if (ctl < 0)
        return fail("/dev/loop-control");
    int n = ioctl(ctl, LOOP_CTL_GET_FREE);
    close(ctl);
    if (n < 0)
        return fail("no free loop device");
    printf("%d\n", n);
    return 0;
}

/* The kernel refuses a new offset while it still caches pages of the old
 * one; it has dropped them after a moment. */
static int set_status(int fd, const struct loop_info64 *info)
{
    for (int tries = 0; tries < 50; tries++) {
        if (ioctl(fd, LOOP_SET_STATUS64, info) == 0)
            return 0;
        if (errno != EAGAIN)
            break;
        usleep(20000);
    }
    return -1;
}

static int place(int fd, unsigned long long offset, unsigned long long size)
{
    struct loop_info64 info;
    memset(&info, 0, sizeof info);
    if (ioctl(fd, LOOP_GET_STATUS64, &info) != 0)
        return fail("reading the loop device's status");
    info.lo_offset = offset;
    info.lo_sizelimit = size;
    info.lo_flags |= LO_FLAGS_AUTOCLEAR;
    if (set_status(fd, &info) != 0)
        return fail("setting the loop device's offset");
    return 0;
}

int main(int argc, char **argv)
{
    unsigned long long fd = 0, offset = 0, size = 0;
    if (argc == 2 && strcmp(argv[1], "free") == 0)
        return free_device();
    if (argc == 6 && strcmp(argv[1], "attach") == 0 && number(argv[2], &fd) &&
        number(argv[4], &offset) && number(argv[5], &size) && fd < 1024) {
        int image = open(argv[3], O_RDWR | O_CLOEXEC);
        if (image < 0)
            return fail(argv[3]);
        if (ioctl((int)fd, LOOP_SET_FD, image) != 0) {
            if (errno == EBUSY)
                return 2;
            return fail("binding the loop device");
        }
        close(image);
        if (place((int)fd, offset, size) != 0) {
            ioctl((int)fd, LOOP_CLR_FD, 0);
            return 1;
        }
        return 0;
    }
    if (argc == 5 && strcmp(argv[1], "move") == 0 && number(argv[2], &fd) &&
        number(argv[3], &offset) && number(argv[4], &size) && fd < 1024)
        return place((int)fd, offset, size);
    fputs("usage: sandbox-loop free | attach FD IMAGE OFFSET SIZE | move FD OFFSET SIZE\n", stderr);
    return 64;
}

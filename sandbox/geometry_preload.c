/*
 * LD_PRELOAD library for the dosprep sandbox: makes the simulated boot disk
 * answer HDIO_GETGEO like a real disk would.
 *
 *   DOSPREP_SANDBOX_GEOMETRY_DISK  path of the simulated boot disk (symbolic
 *                                  links are followed)
 *   DOSPREP_SANDBOX_GEOMETRY       "H/S/C" to report that geometry, or "fail"
 *                                  to fail with ENOTTY as a node that is no
 *                                  disk does
 *   DOSPREP_SANDBOX_PARTITION      a file holding "START SIZE" (or "none") of
 *                                  partition 1, whose node /dev/sssd1 then
 *                                  answers as a kernel's partition does: the
 *                                  disk's geometry, with its own start
 *
 * An fd refers to the boot disk (or partition 1) when it is the same block
 * device (st_rdev) or the same file (st_dev, st_ino).  Everything else goes
 * to the real ioctl.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/hdreg.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_node(int fd, const char *path)
{
    struct stat want, have;

    if (!path || !*path || stat(path, &want) != 0 || fstat(fd, &have) != 0)
        return 0;
    if (S_ISBLK(want.st_mode))
        return S_ISBLK(have.st_mode) && have.st_rdev == want.st_rdev;
    return have.st_dev == want.st_dev && have.st_ino == want.st_ino;
}

/* Partition 1's start from the file the sandbox keeps; 0 when it has none. */
static int partition_start(unsigned long *start)
{
    const char *path = getenv("DOSPREP_SANDBOX_PARTITION");
    unsigned long size;
    FILE *f;
    int ok;

    if (!path || !*path || !(f = fopen(path, "r")))
        return 0;
    ok = fscanf(f, "%lu %lu", start, &size) == 2;
    fclose(f);
    return ok;
}

/*
 * Parses "H/S/C"; returns 0 unless all three fit struct hd_geometry.  The
 * sandbox hands over only what lib/machine.sh's geometry_parse took, by the
 * same rule: decimal, heads and sectors 0 to 255, cylinders 0 to 65535.
 */
static int parse_geometry(const char *text, struct hd_geometry *geo)
{
    unsigned long v[3];
    char *end;
    int i;

    for (i = 0; i < 3; i++) {
        if (*text < '0' || *text > '9')
            return 0;
        v[i] = strtoul(text, &end, 10);
        if (*end != (i < 2 ? '/' : '\0'))
            return 0;
        text = end + 1;
    }
    if (v[0] > 255 || v[1] > 255 || v[2] > 65535)
        return 0;
    geo->heads = (unsigned char)v[0];
    geo->sectors = (unsigned char)v[1];
    geo->cylinders = (unsigned short)v[2];
    geo->start = 0;
    return 1;
}

/* Returns 1 when the request was answered here, with *ret set. */
static int fake_getgeo(int fd, void *arg, int *ret)
{
    const char *mode = getenv("DOSPREP_SANDBOX_GEOMETRY");
    struct hd_geometry geo;

    unsigned long start = 0;

    if (!mode)
        return 0;
    if (!is_node(fd, getenv("DOSPREP_SANDBOX_GEOMETRY_DISK")) &&
        !(partition_start(&start) && is_node(fd, "/dev/sssd1")))
        return 0;
    if (!parse_geometry(mode, &geo)) {
        errno = ENOTTY;
        *ret = -1;
    } else if (!arg) {
        errno = EFAULT;
        *ret = -1;
    } else {
        geo.start = start;
        *(struct hd_geometry *)arg = geo;
        *ret = 0;
    }
    return 1;
}

int ioctl(int fd, unsigned long request, ...)
{
    static ioctl_fn real_ioctl;
    va_list ap;
    void *arg;
    int ret;

    va_start(ap, request);
    arg = va_arg(ap, void *);
    va_end(ap);

    if (request == HDIO_GETGEO && fake_getgeo(fd, arg, &ret))
        return ret;
    if (!real_ioctl)
        real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    if (!real_ioctl) {
        errno = ENOSYS;
        return -1;
    }
    return real_ioctl(fd, request, arg);
}

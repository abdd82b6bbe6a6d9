/*
 * Test probe: asks a node for its geometry the way dosprep does and prints
 * "heads sectors cylinders start", or "ioctl failed: <reason>".
 */
#include <errno.h>
#include <fcntl.h>
#include <linux/hdreg.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    const char *path = argc > 1 ? argv[1] : "/dev/sssd";
    struct hd_geometry geo;
    int fd = open(path, O_RDONLY);

    if (fd < 0) {
        printf("open failed: %s\n", strerror(errno));
        return 2;
    }
    if (ioctl(fd, HDIO_GETGEO, &geo) != 0) {
        printf("ioctl failed: %s\n", strerror(errno));
        close(fd);
        return 1;
    }
    printf("%u %u %u %lu\n", geo.heads, geo.sectors, geo.cylinders, geo.start);
    close(fd);
    return 0;
}

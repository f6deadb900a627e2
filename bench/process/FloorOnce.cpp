// The floor in a fresh process: both photos decoded whole with libjpeg-turbo and
// one JPEG of a block of each written to DESTINATION. Exits 0 when it was written.
//
//   kova_bench_floor_once PHOTO PHOTO DESTINATION
#include "JpegFloor.h"

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    return JpegFloor::composeTwoBlocks(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]))
        ? 0
        : 1;
}

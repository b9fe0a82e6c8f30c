// velto-video: 'velto video', a program of its own so that only it loads
// FFmpeg's libraries (a hundred shared libraries, 25 MiB at start); velto
// hands the command line over to it unchanged.
#include "cli/video/video_job.h"

int main(int argc, char** argv)
{
    return videoCommand(argc, argv);
}

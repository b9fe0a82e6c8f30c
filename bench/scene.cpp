#include "bench/scene.h"

#include "tests/support/pictures.h"

BenchFrame makeBenchFrame(Scene scene, FrameSize size)
{
    // Flat: video black, as in every fade.
    BenchFrame f{scene, TestFrame(size.width, size.height, 0, 0x00101010u), TestFrame(size.width, size.height)};
    Random random{0x5EEDu};
    if (scene == Scene::natural) paintNatural(f.source, random);
    return f;
}

const char* sceneName(Scene scene)
{
    return scene == Scene::natural ? "natural" : "flat";
}

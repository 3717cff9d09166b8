// tiles.cpp - a picture of the scene drawn with molvane-render's finish:
// in one frame when the library can draw it whole, else in tiles of one
// projection, a row of tiles at a time, each row streamed into the PNG
// file before the next is drawn. Reads viewParams and the scene.
#include <algorithm>
#include <vector>

#include "tools/picture.h"
#include "app/viewstate.h"
#include "view/view.h"

namespace {

// Ambient occlusion: crevices a few atoms deep (a radius of some bond
// lengths, in angstrom) darkened by up to this share.
constexpr float occlusionRadius = 4.0f;
constexpr float occlusionStrength = 0.8f;

// Hands the finish and the structure's depth to the library.
void setFinish(const PictureFinish &finish)
{
    float nearest = 0, farthest = 0;
    bool drawn = structureDepth(viewParams, &nearest, &farthest);
    vel_offscreenSamplesSet(finish.samples);
    vel_offscreenFogSet(nearest, farthest, drawn ? finish.fog : 0.0f);
    vel_offscreenOcclusionSet(occlusionRadius, finish.occlusion && drawn ? occlusionStrength : 0.0f, nearest);
    vel_offscreenTransparentSet(finish.transparent);
}

} // namespace

bool drawPicture(FILE *out, int width, int height, const PictureFinish &finish, const char **reason)
{
    vel_windowViewParamsSet(vel_win_current, &viewParams);
    setFinish(finish);
    int side = vel_offscreenTileMaxSize(height);
    if (finish.tile > 0)
        side = std::min(side, finish.tile);
    // Tiles of nearly equal size: the last of a row or column is at most
    // a pixel or so smaller than the others.
    int across = (width + side - 1) / side, down = (height + side - 1) / side;
    int tileWidth = (width + across - 1) / across, tileHeight = (height + down - 1) / down;
    bool tiled = across > 1 || down > 1;
    std::vector<unsigned char> band((size_t)width * tileHeight * 4), tile((size_t)tileWidth * tileHeight * 4);
    PngRows png;
    bool ok = pngBegin(&png, out, width, height, finish.transparent);
    *reason = "PNG encoder failure";
    for (int top = 0; ok && top < height; top += tileHeight) {
        int h = std::min(tileHeight, height - top);
        for (int left = 0; ok && left < width; left += tileWidth) {
            int w = std::min(tileWidth, width - left);
            ok = vel_initialiseOffscreen(w, h) && vel_offscreenTileSet(tiled ? width : 0, tiled ? height : 0,
                                                                        tiled ? left : 0, tiled ? top : 0);
            if (ok) {
                vel_frameBegin();
                drawScene(0);
                vel_windowViewParamsSet(vel_win_current, &viewParams);
                vel_frameEnd();
                ok = vel_frameRead(tile.data()) != 0;
            }
            if (!ok) {
                *reason = "the frame could not be drawn";
                break;
            }
            for (int y = 0; y < h; y++)
                std::copy_n(&tile[(size_t)y * w * 4], (size_t)w * 4, &band[((size_t)y * width + left) * 4]);
        }
        ok = ok && pngWrite(&png, band.data(), h);
    }
    ok = ok && pngEnd(&png);
    pngDiscard(&png);
    return ok;
}

#include "widgets/quorrel_spectrum.h"

#include "widgets/image.h"
#include "widgets/surface_helpers.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const Uint32 backdrop = argb(255, 0, 0, 40);

Uint32 frame_colour(int i) { return argb(255, 100 + i, 200, 0); }

// Each frame gets a 4 x 4 picture of its own colour, whatever the data file
// in the working directory gave it.
class Spectrum : public ::testing::Test {
protected:
    void SetUp() override
    {
        background.create_picture(640, 400);
        background.picture().fill(0, 0, 40);
        canvas.create_surface(640, 400);
        canvas.fill(77, 77, 77);
        spectrum.frames = std::vector<Graphics>(QuorrelSpectrum::band_count);
        for (int i = 0; i < QuorrelSpectrum::band_count; ++i) {
            pictures.push_back(make_surface(4, 4, frame_colour(i)));
            spectrum.frames[i].set_surface(pictures.back().get());
        }
    }

    Uint32 at_frame(int i, int dx = 1, int dy = 1)
    {
        QuorrelSpectrum::Position p = QuorrelSpectrum::frame_position(i);
        return pixel_at(canvas.surface, p.x + dx, p.y + dy);
    }

    Image background;
    Graphics canvas;
    std::vector<SurfacePtr> pictures;
    QuorrelSpectrum spectrum{&background};
};

}  // namespace

TEST(QuorrelSpectrumNames, two_digit_frame_numbers_from_01_to_39)
{
    EXPECT_EQ(QuorrelSpectrum::frame_name(0), "res/spec01.png");
    EXPECT_EQ(QuorrelSpectrum::frame_name(8), "res/spec09.png");
    EXPECT_EQ(QuorrelSpectrum::frame_name(9), "res/spec10.png");
    EXPECT_EQ(QuorrelSpectrum::frame_name(38), "res/spec39.png");
}

TEST(QuorrelSpectrumNames, arc_positions_at_both_ends_and_the_top)
{
    EXPECT_EQ(QuorrelSpectrum::frame_position(0).x, 522);
    EXPECT_EQ(QuorrelSpectrum::frame_position(0).y, 390);
    EXPECT_EQ(QuorrelSpectrum::frame_position(25).x, 265);
    EXPECT_EQ(QuorrelSpectrum::frame_position(25).y, 228);
    EXPECT_EQ(QuorrelSpectrum::frame_position(38).x, 97);
    EXPECT_EQ(QuorrelSpectrum::frame_position(38).y, 314);
}

TEST_F(Spectrum, starts_silent_and_draws_only_background_under_the_frames)
{
    for (int i = 0; i < QuorrelSpectrum::band_count; ++i)
        EXPECT_EQ(spectrum.levels[i], 0);
    EXPECT_FALSE(spectrum.test_flag(Widget::interactive));
    spectrum.draw(canvas);
    for (int i = 0; i < QuorrelSpectrum::band_count; ++i) {
        EXPECT_EQ(at_frame(i, 0, 0), backdrop) << i;
        EXPECT_EQ(at_frame(i, 3, 3), backdrop) << i;
    }
    EXPECT_EQ(pixel_at(canvas.surface, 0, 0), argb(255, 77, 77, 77));
    EXPECT_TRUE(spectrum.test_flag(Widget::dirty));
}

TEST_F(Spectrum, band_0_lights_the_last_picture_at_97_314)
{
    spectrum.levels[0] = 255;
    spectrum.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 97, 314), frame_colour(38));
    EXPECT_EQ(pixel_at(canvas.surface, 100, 317), frame_colour(38));
    EXPECT_EQ(pixel_at(canvas.surface, 101, 317), argb(255, 77, 77, 77));
}

TEST_F(Spectrum, frame_i_is_driven_by_level_38_minus_i)
{
    for (int band = 0; band < QuorrelSpectrum::band_count; ++band) {
        for (Uint8& level : spectrum.levels)
            level = 0;
        spectrum.levels[band] = 255;
        spectrum.draw(canvas);
        for (int i = 0; i < QuorrelSpectrum::band_count; ++i) {
            Uint32 expected = i == 38 - band ? frame_colour(i) : backdrop;
            ASSERT_EQ(at_frame(i), expected) << "band " << band << " frame " << i;
        }
    }
}

TEST_F(Spectrum, level_is_the_opacity)
{
    spectrum.levels[38] = 128;  // frame 0
    spectrum.draw(canvas);
    // 0 + 100 * 128 / 255 = 50 over the dark blue backdrop.
    EXPECT_EQ(at_frame(0), argb(255, 50, 100, 40 - 40 * 128 / 255));
}

TEST(QuorrelSpectrumOrder, later_frame_restores_the_background_over_the_earlier_one_first)
{
    Image background;
    background.create_picture(640, 400);
    background.picture().fill(0, 0, 40);
    Graphics canvas;
    canvas.create_surface(640, 400);
    QuorrelSpectrum spectrum(&background);
    spectrum.frames = std::vector<Graphics>(QuorrelSpectrum::band_count);
    // 12 x 12: frame 1 at (514, 380) reaches into frame 0 at (522, 390).
    SurfacePtr big0 = make_surface(12, 12, frame_colour(0));
    SurfacePtr big1 = make_surface(12, 12, frame_colour(1));
    spectrum.frames[0].set_surface(big0.get());
    spectrum.frames[1].set_surface(big1.get());
    spectrum.levels[38] = 255;  // frame 0 lit
    spectrum.levels[37] = 0;    // frame 1 dark: only its restore shows
    spectrum.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 523, 391), backdrop);  // overlap
    EXPECT_EQ(pixel_at(canvas.surface, 530, 395), frame_colour(0));
    EXPECT_EQ(pixel_at(canvas.surface, 515, 381), backdrop);

    spectrum.levels[37] = 255;  // now both lit: the later frame is on top
    spectrum.draw(canvas);
    EXPECT_EQ(pixel_at(canvas.surface, 523, 391), frame_colour(1));
    EXPECT_EQ(pixel_at(canvas.surface, 530, 395), frame_colour(0));
}

#include "widgets/image.h"

#include "widgets/surface_helpers.h"

#include <gtest/gtest.h>

TEST(Image, null_surface_changes_nothing)
{
    Image image;
    image.set_position(7, 8);
    image.set_flag(Widget::dirty, false);
    image.set_image(nullptr);
    EXPECT_EQ(image.rect.w, 0);
    EXPECT_EQ(image.rect.x, 7);
    EXPECT_EQ(image.picture().surface, nullptr);
    EXPECT_FALSE(image.test_flag(Widget::dirty));
}

TEST(Image, set_image_takes_the_size_keeps_the_corner_and_is_dirty)
{
    SurfacePtr s = make_surface(640, 400);
    Image image(Widget::redraw_all);
    EXPECT_TRUE(image.test_flag(Widget::redraw_all));
    EXPECT_FALSE(image.test_flag(Widget::interactive));
    image.set_position(3, 4);
    image.set_flag(Widget::dirty, false);
    image.set_image(s.get());
    EXPECT_EQ(image.rect.x, 3);
    EXPECT_EQ(image.rect.y, 4);
    EXPECT_EQ(image.rect.w, 640);
    EXPECT_EQ(image.rect.h, 400);
    EXPECT_TRUE(image.test_flag(Widget::dirty));
    EXPECT_FALSE(image.picture().owned);
}

TEST(ImageDeathTest, second_picture_stops_the_program)
{
    SurfacePtr s = make_surface(4, 4);
    Image image;
    image.set_image(s.get());
    EXPECT_DEATH(image.set_image(s.get()), "surface == 0");
}

TEST(Image, create_picture_is_owned_transparent_and_sized)
{
    Image image;
    image.create_picture(233, 60);
    EXPECT_EQ(image.rect.w, 233);
    EXPECT_EQ(image.rect.h, 60);
    ASSERT_NE(image.picture().surface, nullptr);
    EXPECT_TRUE(image.picture().owned);
    EXPECT_EQ(pixel_at(image.picture().surface, 232, 59), 0u);
}

TEST(Image, draw_puts_the_picture_at_the_rect_with_its_alpha_and_clears_dirty)
{
    Graphics canvas;
    canvas.create_surface(20, 20);
    Image image;
    image.create_picture(2, 2);
    image.picture().fill(255, 255, 255);
    image.set_position(5, 6);
    image.picture().set_alpha(Uint8(128));
    image.draw(canvas);
    EXPECT_FALSE(image.test_flag(Widget::dirty));
    EXPECT_EQ(pixel_at(canvas.surface, 4, 6), 0u);
    EXPECT_EQ(pixel_at(canvas.surface, 5, 6), argb(128, 128, 128, 128));
    EXPECT_EQ(pixel_at(canvas.surface, 6, 7), argb(128, 128, 128, 128));
    EXPECT_EQ(pixel_at(canvas.surface, 7, 7), 0u);
}

TEST(Image, restore_region_copies_the_same_rectangle_only)
{
    Graphics canvas;
    canvas.create_surface(10, 10);
    canvas.fill(9, 9, 9);
    Image background;
    background.create_picture(10, 10);
    background.picture().fill(0, 0, 250);

    background.restore_region(canvas, SDL_Rect{2, 3, 0, 0});
    EXPECT_EQ(pixel_at(canvas.surface, 2, 3), argb(255, 9, 9, 9));

    background.restore_region(canvas, SDL_Rect{2, 3, 4, 2});
    EXPECT_EQ(pixel_at(canvas.surface, 2, 3), argb(255, 0, 0, 250));
    EXPECT_EQ(pixel_at(canvas.surface, 5, 4), argb(255, 0, 0, 250));
    EXPECT_EQ(pixel_at(canvas.surface, 6, 4), argb(255, 9, 9, 9));
    EXPECT_EQ(pixel_at(canvas.surface, 2, 5), argb(255, 9, 9, 9));
    EXPECT_EQ(pixel_at(canvas.surface, 1, 3), argb(255, 9, 9, 9));
}

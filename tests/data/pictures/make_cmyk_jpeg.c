// SPDX-License-Identifier: GPL-3.0-or-later
/* Writes a 16x16 CMYK JPEG with the Adobe marker (inverted values, as Adobe programs store
   them): red top left, green top right, blue bottom left, white bottom right.
   cc make_cmyk_jpeg.c -ljpeg -o cmyk_jpeg && ./cmyk_jpeg cmyk_adobe.jpg */
#include <stdio.h>
#include <jpeglib.h>

int main(int argc, char** argv) {
    static const unsigned char inks[4][4] = {
        {0, 255, 255, 0}, {255, 0, 255, 0}, {255, 255, 0, 0}, {0, 0, 0, 0}};
    struct jpeg_compress_struct cinfo;
    struct jpeg_error_mgr jerr;
    unsigned char row[16 * 4];
    FILE* out;
    if (argc != 2 || (out = fopen(argv[1], "wb")) == NULL)
        return 1;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < 16) {
        JSAMPROW rows[1] = {row};
        for (int x = 0; x < 16; ++x)
            for (int c = 0; c < 4; ++c)
                row[x * 4 + c] = 255 - inks[(cinfo.next_scanline >= 8) * 2 + (x >= 8)][c];
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    fclose(out);
    return 0;
}

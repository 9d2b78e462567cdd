// The floor of PNG preparation: decoding every row with libpng and nothing else.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s IN.png\n", argv[0]);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (!file)
        return 1;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return 1;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_read_update_info(png, info);
    std::vector<png_byte> row(png_get_rowbytes(png, info));
    const png_uint_32 height = png_get_image_height(png, info);
    unsigned checksum = 0;
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, row.data(), nullptr);
        checksum += row[y % row.size()];
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    std::printf("%u\n", checksum);
    return 0;
}

/* The public header as plain C: compiles under C90 with pedantic warnings as errors, and a C
 * caller links and calls the library through it. */
#include "kestrelcore.h"

#include <stdio.h>

static int messages = 0;

static void KC_CALL onMessage(const char* text, const char* title, void* user) {
    (void)text;
    (void)title;
    (void)user;
    ++messages;
}

int main(void) {
    char coords[64];
    char attrs[64];
    char bounds[64];
    double d;
    int r;
    KC_SetMessageHandler(onMessage, NULL);
    d = SphericalDist(0.0, 0.0, 0.0, 1.0);
    if (d < 111132.0 || d > 111133.0) {
        printf("SphericalDist gave %f\n", d);
        return 1;
    }
    coords[0] = attrs[0] = bounds[0] = 'x';
    r = KC_ReadFeature(0, 0, coords, attrs, bounds);
    if (r != -1 || messages != 1) {
        printf("KC_ReadFeature without a shapefile gave %d (%d messages)\n", r, messages);
        return 1;
    }
    if (KC_GetProgressFromShp2Kml() != 0)
        return 1;
    KC_CloseShpFile();
    KC_CloseDBFFile();
    KC_SetMessageHandler(NULL, NULL);
    printf("C caller ok\n");
    return 0;
}

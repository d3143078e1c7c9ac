/* spandsp-reference: spandsp's DTMF and FSK caller-ID receivers over raw s16le 8000 Hz mono on
 * standard input, for comparison in scripts/callerid-measure.sh (built there, not by CMake).
 *
 *   spandsp-reference dtmf   < in.raw    prints the digits received
 *   spandsp-reference clip   < in.raw    prints every V.23 message received, bytes as they came
 *   spandsp-reference class  < in.raw    the same for Bell 202
 */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <spandsp.h>

static void OnDigits(void* user, const char* digits, int len) {
    (void)user;
    fwrite(digits, 1, (size_t)len, stdout);
}

static void OnMessage(void* user, const uint8_t* msg, int len) {
    (void)user;
    /* Negative lengths are status reports (carrier up or down), not messages. */
    for (int i = 0; i < len; ++i) putchar(msg[i] >= 32 && msg[i] < 127 ? msg[i] : '.');
    if (len > 0) putchar(' ');
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "Usage: spandsp-reference dtmf|clip|class < s16le-8000.raw\n");
        return 2;
    }
    dtmf_rx_state_t* dtmf = NULL;
    adsi_rx_state_t* adsi = NULL;
    if (strcmp(argv[1], "dtmf") == 0) {
        dtmf = dtmf_rx_init(NULL, OnDigits, NULL);
    } else if (strcmp(argv[1], "clip") == 0 || strcmp(argv[1], "class") == 0) {
        adsi = adsi_rx_init(NULL, strcmp(argv[1], "clip") == 0 ? ADSI_STANDARD_CLIP : ADSI_STANDARD_CLASS,
                            OnMessage, NULL);
    } else {
        fprintf(stderr, "spandsp-reference: unknown mode %s\n", argv[1]);
        return 2;
    }
    int16_t block[160];
    size_t n;
    while ((n = fread(block, sizeof block[0], 160, stdin)) > 0) {
        if (dtmf) dtmf_rx(dtmf, block, (int)n);
        if (adsi) adsi_rx(adsi, block, (int)n);
    }
    putchar('\n');
    return 0;
}

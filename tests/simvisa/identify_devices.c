/* Acceptance check, in plain C through the VISA C API only: opens a session on each shipped
 * device, sets the line to the device's settings and prints the answer to *IDN?. */
#include <stdio.h>
#include <string.h>

#include "visa.h"

struct device {
    const char* resource;
    ViUInt32 baud;
    ViUInt16 parity;
    const char* query;
};

static int identify(ViSession rm, const struct device* d)
{
    ViSession vi;
    ViUInt32 n;
    char answer[256];
    ViStatus st = viOpen(rm, d->resource, VI_NULL, 2000, &vi);
    if (st < VI_SUCCESS) {
        printf("%s: viOpen failed 0x%08lX\n", d->resource, (unsigned long)(ViUInt32)st);
        return 0;
    }
    viSetAttribute(vi, VI_ATTR_ASRL_BAUD, d->baud);
    viSetAttribute(vi, VI_ATTR_ASRL_PARITY, d->parity);
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000);
    st = viWrite(vi, (ViConstBuf)d->query, (ViUInt32)strlen(d->query), &n);
    if (st >= VI_SUCCESS)
        st = viRead(vi, (ViPBuf)answer, sizeof answer - 1, &n);
    viClose(vi);
    if (st < VI_SUCCESS) {
        printf("%s: no identity (0x%08lX)\n", d->resource, (unsigned long)(ViUInt32)st);
        return 0;
    }
    while (n > 0 && (answer[n - 1] == '\n' || answer[n - 1] == '\r'))
        --n;
    answer[n] = '\0';
    printf("%s: %s\n", d->resource, answer);
    return strncmp(answer, "SIMVISA,", 8) == 0;
}

int main(void)
{
    static const struct device devices[] = {
        {"ASRL1::INSTR", 9600, VI_ASRL_PAR_NONE, "*IDN?\n"},
        {"ASRL2::INSTR", 19200, VI_ASRL_PAR_EVEN, "*IDN?\r\n"},
    };
    ViSession rm;
    int ok = 0;
    size_t i;
    if (viOpenDefaultRM(&rm) < VI_SUCCESS)
        return 1;
    for (i = 0; i < sizeof devices / sizeof devices[0]; ++i)
        ok += identify(rm, &devices[i]);
    viClose(rm);
    printf("%d of 2 devices identified\n", ok);
    return ok == 2 ? 0 : 1;
}

/* String resource ids of the report steps' descriptions. The resource script includes this
   header too, and the resource compiler reads only the preprocessor: hence plain #defines. */
#ifndef VITASCAN_STRING_IDS_H
#define VITASCAN_STRING_IDS_H

#define IDS_SYSTEM_STEP 26534
#define IDS_DISK_SPACE_STEP 26535
#define IDS_FILESYSTEM_STEP 26536
#define IDS_NETWORKING_STEP 26545
#define IDS_PROCESSES_STEP 26546
#define IDS_PRODUCTS_STEP 26547
#define IDS_REGISTRY_STEP 26548

#endif

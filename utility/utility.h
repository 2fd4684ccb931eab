// Everything libutility.so exports, in one include.
#pragma once

#include "utility/base_buffer.h"
#include "utility/base_crc.h"
#include "utility/base_dns.h"
#include "utility/base_file.h"
#include "utility/base_hash.h"
#include "utility/base_ini.h"
#include "utility/base_lock.h"
#include "utility/base_log.h"
#include "utility/base_sock.h"
#include "utility/base_string.h"
#include "utility/base_thread.h"

// The stores' troubles (store/store_trouble.h) in a notice over the main
// window's page: one line for each, kept together while the strip shows.
#pragma once

void ShowStoreTroubles();

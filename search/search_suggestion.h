// The first row of the address box's suggestions when what is typed is not
// an address: the search of it, built here; nothing is asked of the site.
// It is what Enter in the box does with the text.
#pragma once

class SuggestionSource;

SuggestionSource& SearchSuggestionSource();

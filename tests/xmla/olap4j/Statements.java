/** The statements the client check runs on the sample catalog's Sales cube. */
final class Statements {
  static final String[] ALL = {
    // The explorer's own kinds: measures on columns, hierarchies on rows, drilled members, a slicer.
    "SELECT {[Measures].[Unit Sales]} ON COLUMNS, {[Store].[All Stores]} ON ROWS FROM [Sales]",
    "SELECT NON EMPTY {[Time].[1997].Children} ON COLUMNS, NON EMPTY {[Product].[All Products].Children} ON ROWS "
        + "FROM [Sales] WHERE ([Measures].[Store Sales])",
    "SELECT {[Measures].[Unit Sales]} ON COLUMNS, Hierarchize({[Store].[All Stores], [Store].[All Stores].Children, "
        + "[Store].[USA].Children}) ON ROWS FROM [Sales]",
    "SELECT CrossJoin({[Time].[1997].Children}, {[Measures].[Unit Sales], [Measures].[Store Sales]}) ON COLUMNS, "
        + "NON EMPTY CrossJoin({[Store].[USA].Children}, {[Product].[All Products].Children}) ON ROWS FROM [Sales]",
    "SELECT {[Measures].[Unit Sales]} ON COLUMNS, Order({[Product].[All Products].Children}, "
        + "[Measures].[Unit Sales], BDESC) ON ROWS FROM [Sales]",
    // And a dozen more.
    "SELECT FROM [Sales]",
    "SELECT FROM [Sales] WHERE ([Measures].[Store Cost], [Time].[1997].[Q2])",
    "SELECT [Measures].Members ON COLUMNS FROM [Sales]",
    "SELECT {[Measures].[Unit Sales]} ON 0, TopCount([Store].[Store City].Members, 5, [Measures].[Unit Sales]) ON 1 FROM [Sales]",
    "SELECT {[Measures].[Unit Sales]} ON 0, BottomCount([Product].[Product Department].Members, 3, [Measures].[Unit Sales]) ON 1 FROM [Sales]",
    "SELECT {[Measures].[Store Sales]} ON 0, Filter([Store].[Store State].Members, [Measures].[Store Sales] > 1000) ON 1 FROM [Sales]",
    "SELECT {[Measures].[Unit Sales]} ON 0, Descendants([Time].[1997], [Time].[Month]) ON 1 FROM [Sales]",
    "WITH MEMBER [Measures].[Average Price] AS '[Measures].[Store Sales] / [Measures].[Unit Sales]', "
        + "FORMAT_STRING = '#,##0.00' SELECT {[Measures].[Unit Sales], [Measures].[Average Price]} ON 0, "
        + "[Product].[Product Family].Members ON 1 FROM [Sales]",
    "WITH SET [Top States] AS 'TopCount([Store].[Store State].Members, 2, [Measures].[Unit Sales])' "
        + "SELECT {[Measures].[Unit Sales]} ON 0, [Top States] ON 1 FROM [Sales]",
    "SELECT {[Measures].[Unit Sales]} ON 0, {[Gender].[All Gender].Children} ON 1, {[Time].[1997].[Q1], [Time].[1997].[Q4]} ON 2 FROM [Sales]",
    "SELECT NON EMPTY {[Measures].[Unit Sales]} ON 0, NON EMPTY Head([Customers].[Name].Members, 20) ON 1 FROM [Sales]",
    "SELECT {[Measures].[Unit Sales]} ON 0, Union({[Store].[USA].[CA]}, {[Store].[USA].[WA], [Store].[USA].[CA]}) ON 1 FROM [Sales]",
    "SELECT {[Measures].[Unit Sales], [Measures].[Store Sales]} DIMENSION PROPERTIES PARENT_UNIQUE_NAME ON 0, "
        + "[Marital Status].Members ON 1 FROM [Sales] WHERE [Time].[1997]",
  };

  private Statements() {}
}

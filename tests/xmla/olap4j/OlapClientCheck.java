import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.sql.Connection;
import java.sql.DriverManager;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

import org.olap4j.Cell;
import org.olap4j.CellSet;
import org.olap4j.CellSetAxis;
import org.olap4j.OlapConnection;
import org.olap4j.Position;
import org.olap4j.metadata.Cube;
import org.olap4j.metadata.Dimension;
import org.olap4j.metadata.Hierarchy;
import org.olap4j.metadata.Level;
import org.olap4j.metadata.Member;
import org.olap4j.metadata.Property;

/**
 * Connects olap4j's XMLA driver to a running orvex-server, walks the metadata
 * of a catalog and runs statements, comparing every axis and cell with what
 * orvex-mdx --format json says for the same statement. Prints the first
 * difference and exits 1; exits 0 when everything agrees.
 *
 * Arguments: XMLA-URL ORVEX-MDX CATALOGS-DIR CATALOG
 */
public class OlapClientCheck {
  static String orvexMdx;
  static String catalogs;
  static String catalog;

  static final class Difference extends RuntimeException {
    Difference(String message) { super(message); }
  }

  static void expect(boolean condition, String what) {
    if (!condition) throw new Difference(what);
  }

  static void expectEqual(Object expected, Object actual, String what) {
    if (expected == null ? actual != null : !expected.equals(actual)) {
      throw new Difference(what + ": orvex-mdx says <" + expected + ">, olap4j says <" + actual + ">");
    }
  }

  // ------------------------------------------------------------ a small JSON reader

  static final class Json {
    final String text;
    int at;

    Json(String text) { this.text = text; }

    Object value() {
      skip();
      char c = text.charAt(at);
      if (c == '{') {
        Map<String, Object> map = new LinkedHashMap<>();
        at++;
        skip();
        if (text.charAt(at) == '}') { at++; return map; }
        while (true) {
          skip();
          String key = string();
          skip();
          at++;  // ':'
          map.put(key, value());
          skip();
          if (text.charAt(at++) == '}') return map;
        }
      }
      if (c == '[') {
        List<Object> list = new ArrayList<>();
        at++;
        skip();
        if (text.charAt(at) == ']') { at++; return list; }
        while (true) {
          list.add(value());
          skip();
          if (text.charAt(at++) == ']') return list;
        }
      }
      if (c == '"') return string();
      if (text.startsWith("null", at)) { at += 4; return null; }
      if (text.startsWith("true", at)) { at += 4; return Boolean.TRUE; }
      if (text.startsWith("false", at)) { at += 5; return Boolean.FALSE; }
      int start = at;
      while (at < text.length() && "+-0123456789.eE".indexOf(text.charAt(at)) >= 0) at++;
      return Double.valueOf(text.substring(start, at));
    }

    String string() {
      StringBuilder out = new StringBuilder();
      at++;
      while (true) {
        char c = text.charAt(at++);
        if (c == '"') return out.toString();
        if (c != '\\') { out.append(c); continue; }
        char e = text.charAt(at++);
        switch (e) {
          case 'n': out.append('\n'); break;
          case 't': out.append('\t'); break;
          case 'r': out.append('\r'); break;
          case 'b': out.append('\b'); break;
          case 'f': out.append('\f'); break;
          case 'u': out.append((char) Integer.parseInt(text.substring(at, at + 4), 16)); at += 4; break;
          default: out.append(e);
        }
      }
    }

    void skip() { while (at < text.length() && Character.isWhitespace(text.charAt(at))) at++; }
  }

  @SuppressWarnings("unchecked")
  static Map<String, Object> runOrvexMdx(String mdx) throws Exception {
    Process process = new ProcessBuilder(orvexMdx, "--catalogs", catalogs, "--catalog", catalog, "--format", "json", mdx)
        .redirectErrorStream(true).start();
    StringBuilder out = new StringBuilder();
    try (BufferedReader reader = new BufferedReader(new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8))) {
      for (String line; (line = reader.readLine()) != null;) out.append(line).append('\n');
    }
    int status = process.waitFor();
    expect(status == 0, "orvex-mdx failed on " + mdx + ": " + out);
    return (Map<String, Object>) new Json(out.toString()).value();
  }

  // ------------------------------------------------------------ comparing results

  @SuppressWarnings("unchecked")
  static void compareAxis(String where, Map<String, Object> expected, CellSetAxis actual) {
    List<Object> positions = (List<Object>) expected.get("positions");
    List<Position> actualPositions = actual.getPositions();
    expectEqual(positions.size(), actualPositions.size(), where + " position count");
    for (int p = 0; p < positions.size(); p++) {
      List<Object> members = (List<Object>) ((Map<String, Object>) positions.get(p)).get("members");
      List<Member> actualMembers = actualPositions.get(p).getMembers();
      expectEqual(members.size(), actualMembers.size(), where + " position " + p + " member count");
      for (int m = 0; m < members.size(); m++) {
        Map<String, Object> member = (Map<String, Object>) members.get(m);
        Member actualMember = actualMembers.get(m);
        String place = where + " position " + p + " member " + m;
        expectEqual(member.get("uniqueName"), actualMember.getUniqueName(), place + " unique name");
        expectEqual(member.get("caption"), actualMember.getCaption(), place + " caption");
        expectEqual(((Double) member.get("levelDepth")).intValue(), actualMember.getDepth(), place + " level depth");
      }
    }
  }

  @SuppressWarnings("unchecked")
  static int compareStatement(OlapConnection connection, String mdx) throws Exception {
    Map<String, Object> expected = runOrvexMdx(mdx);
    CellSet cellSet;
    try {
      cellSet = connection.createStatement().executeOlapQuery(mdx);
    } catch (Exception error) {
      throw new Difference("olap4j failed on " + mdx + ": " + error);
    }
    try {
      List<Object> axes = (List<Object>) expected.get("axes");
      expectEqual(axes.size(), cellSet.getAxes().size(), mdx + ": axis count");
      for (int a = 0; a < axes.size(); a++) {
        compareAxis(mdx + ": axis " + a, (Map<String, Object>) axes.get(a), cellSet.getAxes().get(a));
      }
      compareAxis(mdx + ": filter axis", (Map<String, Object>) expected.get("filterAxis"), cellSet.getFilterAxis());
      List<Object> cells = (List<Object>) expected.get("cells");
      for (Object item : cells) {
        Map<String, Object> cell = (Map<String, Object>) item;
        int ordinal = ((Double) cell.get("ordinal")).intValue();
        Cell actual = cellSet.getCell(ordinal);
        String place = mdx + ": cell " + ordinal;
        Object value = cell.get("value");
        Object actualValue = actual.getValue();
        if (value == null) {
          expect(actualValue == null, place + " value: orvex-mdx says empty, olap4j says <" + actualValue + ">");
        } else if (value instanceof Double) {
          expect(actualValue instanceof Number, place + " value: orvex-mdx says <" + value + ">, olap4j says <" + actualValue + ">");
          double a = ((Number) actualValue).doubleValue();
          double e = (Double) value;
          expect(Math.abs(a - e) <= 1e-9 * Math.max(1, Math.abs(e)), place + " value: orvex-mdx says <" + e + ">, olap4j says <" + a + ">");
        } else {
          expectEqual(String.valueOf(value), String.valueOf(actualValue), place + " value");
        }
        String formatted = actual.getFormattedValue();
        expectEqual(cell.get("formattedValue"), formatted == null ? "" : formatted, place + " formatted value");
      }
      return cells.size();
    } finally {
      cellSet.close();
    }
  }

  // ------------------------------------------------------------ the metadata walk

  static String quote(String name) { return "[" + name.replace("]", "]]") + "]"; }

  static int walkMetadata(OlapConnection connection) throws Exception {
    int checked = 0;
    List<String> catalogNames = new ArrayList<>();
    for (org.olap4j.metadata.Catalog c : connection.getOlapCatalogs()) catalogNames.add(c.getName());
    expect(catalogNames.contains(catalog), "olap4j lists no catalog " + catalog + " but " + catalogNames);
    for (Cube cube : connection.getOlapSchema().getCubes()) {
      expect(!cube.getMeasures().isEmpty(), "cube " + cube.getName() + " has no measures");
      // The measures, as the engine lists them.
      StringBuilder measures = new StringBuilder();
      for (Member measure : cube.getMeasures()) {
        measures.append(measures.length() == 0 ? "" : ", ").append(measure.getUniqueName());
        expect(measure.getUniqueName().startsWith("[Measures]."), "measure " + measure.getUniqueName());
      }
      checked += compareStatement(connection, "SELECT {" + measures + "} ON COLUMNS FROM " + quote(cube.getName()));
      for (Dimension dimension : cube.getDimensions()) {
        for (Hierarchy hierarchy : dimension.getHierarchies()) {
          expect(hierarchy.getDefaultMember() != null, "hierarchy " + hierarchy.getUniqueName() + " has no default member");
          // The measures, calculated ones too, were compared as one statement above.
          if (dimension.getDimensionType() == Dimension.Type.MEASURE) continue;
          for (Level level : hierarchy.getLevels()) {
            List<Member> members = level.getMembers();
            String where = "level " + level.getUniqueName();
            // Every member of the level, in order, as the engine lists them on an axis.
            Map<String, Object> expected = runOrvexMdx("SELECT " + level.getUniqueName() + ".Members ON COLUMNS FROM "
                + quote(cube.getName()) + " WHERE ([Measures].[" + cube.getMeasures().get(0).getName().replace("]", "]]") + "])");
            @SuppressWarnings("unchecked")
            List<Object> positions = (List<Object>) ((Map<String, Object>) ((List<Object>) expected.get("axes")).get(0)).get("positions");
            expectEqual(positions.size(), members.size(), where + " member count");
            for (int index = 0; index < members.size(); index++) {
              @SuppressWarnings("unchecked")
              Map<String, Object> member = (Map<String, Object>) ((List<Object>) ((Map<String, Object>) positions.get(index)).get("members")).get(0);
              Member actual = members.get(index);
              expectEqual(member.get("uniqueName"), actual.getUniqueName(), where + " member " + index);
              expectEqual(member.get("caption"), actual.getCaption(), where + " member " + index + " caption");
              expectEqual(level.getDepth(), actual.getDepth(), where + " member " + index + " depth");
              if (index < 5) {
                // Member properties, and the parent and children through the metadata.
                Object childCount = actual.getPropertyValue(Property.StandardMemberProperty.CHILDREN_CARDINALITY);
                expectEqual(String.valueOf(actual.getChildMemberCount()), String.valueOf(childCount),
                            where + " member " + index + " CHILDREN_CARDINALITY");
                expectEqual(actual.getChildMemberCount(), actual.getChildMembers().size(), where + " member " + index + " children");
                Member parent = actual.getParentMember();
                expect(level.getDepth() == 0 || parent != null || !hierarchy.hasAll(), where + " member " + index + " has no parent");
                if (parent != null) expect(parent.getChildMembers().contains(actual), where + " member " + index + " not among its parent's children");
              }
              checked++;
            }
          }
        }
      }
    }
    return checked;
  }

  public static void main(String[] args) throws Exception {
    if (args.length != 4) {
      System.err.println("usage: OlapClientCheck XMLA-URL ORVEX-MDX CATALOGS-DIR CATALOG");
      System.exit(2);
    }
    orvexMdx = args[1];
    catalogs = args[2];
    catalog = args[3];
    Class.forName("org.olap4j.driver.xmla.XmlaOlap4jDriver");
    try (Connection jdbc = DriverManager.getConnection("jdbc:xmla:Server=" + args[0] + ";Catalog=" + catalog)) {
      OlapConnection connection = jdbc.unwrap(OlapConnection.class);
      int members = walkMetadata(connection);
      int cells = 0;
      for (String mdx : Statements.ALL) cells += compareStatement(connection, mdx);
      // A statement the engine refuses arrives as an error carrying the engine's message and place.
      try {
        connection.createStatement().executeOlapQuery("SELECT {[Measures].[Unit Sales] ON COLUMNS FROM [Sales]");
        throw new Difference("a statement with a syntax error ran");
      } catch (org.olap4j.OlapException error) {
        String text = String.valueOf(error.getMessage()) + " " + String.valueOf(error.getCause());
        expect(text.contains(", column ") && text.contains("expected"), "the syntax error's message lacks its place: " + text);
      }
      System.out.println("olap4j agrees with orvex-mdx: " + members + " members, " + Statements.ALL.length
                         + " statements, " + cells + " cells");
    } catch (Difference difference) {
      System.out.println("first difference: " + difference.getMessage());
      System.exit(1);
    }
  }
}
